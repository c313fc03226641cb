# The Debian packages the project needs, by use; sourced by the scripts.
BUILD_PACKAGES=(g++ cmake ninja-build libgtest-dev libglut-dev libglu1-mesa-dev libgl-dev)
# To run the viewer without a display, and to drive and photograph it.
X11_PACKAGES=(xvfb xdotool imagemagick x11-utils libgl1-mesa-dri libglx-mesa0)
