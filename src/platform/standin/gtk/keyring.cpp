// Credentials in the desktop's secret service (libsecret). Each application has its own schema,
// named by its identifier, with the attributes service and account: lookups match the schema,
// so another application's item with the same service and account is never touched.
//
// Found while checking libsecret: storing again with the same attributes replaces the item (so a
// store is "update or add"); a lookup of a missing item and a clear with nothing to clear answer
// NULL and FALSE without an error; the sync calls run a main context of their own, not ours; a
// lookup (secret_password_lookup_*, secret_service_lookup) never frees the service's answer.

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

// The item is searched for with its secret loaded, not looked up (see above).
std::optional<std::string> lookup(void*, std::string_view application, std::string_view service,
                                  std::string_view account) {
    Schema schema(application);
    std::string serviceName(service);
    std::string accountName(account);
    GHashTable* attributes = secret_attributes_build(&schema.schema, "service", serviceName.c_str(), "account",
                                                     accountName.c_str(), nullptr);
    GError* error = nullptr;
    GList* items = secret_service_search_sync(
        nullptr, &schema.schema, attributes,
        static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS), nullptr, &error);
    g_hash_table_unref(attributes);
    GErrorPtr failed(error);
    std::optional<std::string> found;
    for (GList* each = items; each != nullptr && !found && !failed; each = each->next) {
        if (SecretValuePtr value{secret_item_get_secret(SECRET_ITEM(each->data))}) {
            gsize length = 0;
            const gchar* bytes = secret_value_get(value.get(), &length);
            found.emplace(bytes, length);
        }
    }
    g_list_free_full(items, g_object_unref);
    return found;
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
