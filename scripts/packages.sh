# The Debian packages the build, the program and the tests need.
KELVO_BUILD_PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  libexpected-dev zlib1g-dev
  libgtk-3-dev  # the host's windows and main loop (GTK 3)
  libx11-dev    # Xlib: whether an XEmbed tray runs (the status item's fallback), the clipboard's reader
  libx11-xcb-dev  # the clipboard's connection takes its events through XCB
  libxi-dev     # XInput 2's key events: keys typed at a question GTK closed reach the dialog under it
  libgstreamer1.0-dev               # audio playback (playbin) and the spectrum's tap
  libgstreamer-plugins-base1.0-dev  # audio formats for the tap, the decodability probe (discoverer)
  gstreamer1.0-plugins-base         # playbin, audioconvert, Ogg and Vorbis at run time
  gstreamer1.0-plugins-good         # WAV, HTTP streams and the desktop's audio output at run time
  libsoup-3.0-dev                   # the download that keeps a streamed sound as a cache file
  libsecret-1-dev  # stored credentials (the desktop's secret service)
  libgdk-pixbuf-2.0-dev  # decoding the images canvas views draw (PNG, JPEG, GIF and more)
  libwebkit2gtk-4.1-dev  # the host's web views: WebKitGTK 4.1, its URL schemes, user scripts and script messages
)
# What the program needs to run on a machine without a display (./run.sh uses a virtual one).
KELVO_RUN_PACKAGES=(
  xvfb               # xvfb-run and the X server it starts
  xauth              # xvfb-run's display authority
  libgl1-mesa-dri    # the software GL drivers WebKitGTK needs under Xvfb (only a Recommends of it)
  fonts-dejavu-core  # a font for GTK to lay out window text with
  webp-pixbuf-loader  # WebP images in canvas views (gdk-pixbuf brings no WebP loader)
  heif-gdk-pixbuf     # HEIF images in canvas views
)
KELVO_TEST_PACKAGES=(
  git libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format libclang-rt-14-dev
  llvm  # llvm-symbolizer: function, file and line in the sanitizer reports of the clang build
  libpng-dev libcairo2-dev
  libjavascriptcoregtk-4.1-dev
  # The tests labelled "gtk" open real windows on a virtual display, in a session bus of their own.
  dbus             # dbus-run-session (bus for GTK's accessibility and settings)
  gnome-keyring    # the secret service the credential tests store into, unlocked without a prompt
  xclip            # reads the clipboard from another process while the host owns it
  xdotool          # real pointer clicks and typed keys (XTEST) into a canvas view
  openbox          # a window manager on the display for the program tests, as on a desktop
  libxtst-dev      # a click sent to the X server as one message (the window drag test)
  at-spi2-core     # the accessibility bus a canvas view's widgets are read back over
  python3-pyatspi  # the reader of that bus
)
