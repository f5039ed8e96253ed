#include "stderr_capture.hpp"

#include "base/stderr.hpp"

namespace kelvo {

ScopedStderrCapture::ScopedStderrCapture() { setStderrCapture(this, &ScopedStderrCapture::append); }

ScopedStderrCapture::~ScopedStderrCapture() { setStderrCapture(nullptr, nullptr); }

std::string ScopedStderrCapture::text() const {
    std::lock_guard guard(mutex_);
    return text_;
}

void ScopedStderrCapture::clear() {
    std::lock_guard guard(mutex_);
    text_.clear();
}

void ScopedStderrCapture::append(void* context, std::string_view text) {
    auto* self = static_cast<ScopedStderrCapture*>(context);
    std::lock_guard guard(self->mutex_);
    self->text_.append(text);
}

}  // namespace kelvo
