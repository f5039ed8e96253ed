# The Debian packages the build and the tests need.
KELVO_BUILD_PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  libexpected-dev zlib1g-dev
)
KELVO_TEST_PACKAGES=(
  git libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format libclang-rt-14-dev
  libpng-dev libcairo2-dev
  libjavascriptcoregtk-4.1-dev
)
