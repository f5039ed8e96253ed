// "kelvo.credentials.": secrets in the system's credential store, keyed by service and account.

#include <array>

#include "runtime/bridge/family_support.hpp"
#include "runtime/bridge/service_families.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

constexpr std::size_t kMaxServiceBytes = 128;
constexpr std::size_t kMaxAccountBytes = 256;
constexpr std::size_t kMaxSecretBytes = 4096;
constexpr Error kTooLarge = Error::CredentialFieldTooLarge;
constexpr Error kInvalid = Error::InvalidCredentialOptions;

// A required, non-empty text of at most `maxBytes` bytes without NUL.
Status checkRequired(std::string_view text, std::size_t maxBytes) {
    if (text.empty()) return fail(kInvalid);
    return checkText(text, maxBytes, kTooLarge, kInvalid);
}

struct CredentialFields {
    std::string_view service;
    std::string_view account;
    std::string_view secret;  // "set" only
};

// "service" and "account", and for "set" the "secret" (else "value"): all required, all read
// before any is checked.
Result<CredentialFields> readFields(BuiltinCommandContext& context, bool withSecret) {
    std::optional<std::string_view> service = TRY(stringMember(context, "service", kTooLarge));
    std::optional<std::string_view> account = TRY(stringMember(context, "account", kTooLarge));
    std::optional<std::string_view> secret;
    if (withSecret) secret = TRY(firstStringMember(context, {"secret", "value"}, kTooLarge));
    if (!service || !account || (withSecret && !secret)) return fail(kInvalid);
    TRY(checkRequired(*service, kMaxServiceBytes));
    TRY(checkRequired(*account, kMaxAccountBytes));
    if (withSecret) TRY(checkRequired(*secret, kMaxSecretBytes));
    return CredentialFields{*service, *account, secret.value_or("")};
}

Result<std::string_view> setCredential(BuiltinCommandContext& context) {
    CredentialFields fields = TRY(readFields(context, true));
    TRY(callNeeded<&PlatformSlots::setCredential>(context.runtime.platform, fields.service, fields.account,
                                                  fields.secret));
    return kTrueResult;
}

Result<std::string_view> getCredential(BuiltinCommandContext& context) {
    CredentialFields fields = TRY(readFields(context, false));
    std::span<char> secretBuffer = context.output.first(kMaxSecretBytes);
    Result<std::size_t> length = callNeeded<&PlatformSlots::getCredential>(context.runtime.platform, fields.service,
                                                                           fields.account, secretBuffer);
    if (!length && length.error() == Error::CredentialNotFound) return kNullResult;
    if (!length) return fail(length.error());
    std::string_view secret = TRY(answeredText(secretBuffer, *length));
    if (secret.empty()) return kNullResult;
    return stringResult(context, secret);
}

Result<std::string_view> deleteCredential(BuiltinCommandContext& context) {
    CredentialFields fields = TRY(readFields(context, false));
    Status deleted =
        callNeeded<&PlatformSlots::deleteCredential>(context.runtime.platform, fields.service, fields.account);
    if (!deleted && deleted.error() == Error::CredentialNotFound) return kFalseResult;
    if (!deleted) return fail(deleted.error());
    return kTrueResult;
}

constexpr std::array<BuiltinCommand, 3> kCredentialCommands = {{
    {"set", &setCredential},
    {"get", &getCredential},
    {"delete", &deleteCredential},
}};

}  // namespace

std::string_view dispatchCredentialBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                                 BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.credentials.", kCredentialCommands,
                                "Unknown credentials command");
}

}  // namespace kelvo
