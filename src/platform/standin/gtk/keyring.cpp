// Credentials in the desktop's secret service (libsecret). Each application has its own schema,
// named by its identifier, with the attributes service and account: lookups match the schema,
// so another application's item with the same service and account is never touched.
//
// Found while checking libsecret: storing again with the same attributes replaces the item (so a
// store is "update or add"); a lookup of a missing item and a clear with nothing to clear answer
// NULL and FALSE without an error; the sync calls run a main context of their own, not ours.

#include <libsecret/secret.h>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

struct Schema {
    std::string name;
    SecretSchema schema{};

    explicit Schema(std::string_view application) : name(application) {
        schema.name = name.c_str();
        schema.flags = SECRET_SCHEMA_NONE;
        schema.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        schema.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        schema.attributes[2] = {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING};
    }
};

struct SecretValueUnref {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

bool store(void*, std::string_view application, std::string_view service, std::string_view account,
           std::string_view secret) {
    Schema schema(application);
    std::string serviceName(service);
    std::string accountName(account);
    std::string label = schema.name + ": " + serviceName + " (" + accountName + ")";
    SecretValuePtr value(
        secret_value_new(secret.data(), static_cast<gssize>(secret.size()), "application/octet-stream"));
    GError* error = nullptr;
    gboolean stored = secret_password_store_binary_sync(&schema.schema, SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                        value.get(), nullptr, &error, "service", serviceName.c_str(),
                                                        "account", accountName.c_str(), nullptr);
    GErrorPtr failed(error);
    return stored != FALSE && !failed;
}

std::optional<std::string> lookup(void*, std::string_view application, std::string_view service,
                                  std::string_view account) {
    Schema schema(application);
    std::string serviceName(service);
    std::string accountName(account);
    GError* error = nullptr;
    SecretValuePtr value(secret_password_lookup_binary_sync(
        &schema.schema, nullptr, &error, "service", serviceName.c_str(), "account", accountName.c_str(), nullptr));
    GErrorPtr failed(error);
    if (!value || failed) return std::nullopt;
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    return std::string(bytes, length);
}

bool remove(void*, std::string_view application, std::string_view service, std::string_view account) {
    Schema schema(application);
    std::string serviceName(service);
    std::string accountName(account);
    GError* error = nullptr;
    gboolean removed = secret_password_clear_sync(&schema.schema, nullptr, &error, "service", serviceName.c_str(),
                                                  "account", accountName.c_str(), nullptr);
    GErrorPtr failed(error);
    return removed != FALSE && !failed;
}

}  // namespace

KeyringService gtkKeyring() {
    KeyringService keyring;
    KELVO_STANDIN_FILL(keyring, KELVO_STANDIN_KEYRING_FUNCTIONS)
    return keyring;
}

}  // namespace kelvo::standin
