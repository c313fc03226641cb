# The Debian packages the project needs, by use; sourced by the scripts.
# CLI11: the command lines of the viewer and of dorn; zlib: the screenshots' compression.
BUILD_PACKAGES=(g++ cmake ninja-build dpkg-dev libgtest-dev libglut-dev libglu1-mesa-dev libgl-dev libcli11-dev zlib1g-dev)
# The dorn tool: mesh import; and the real mesh of a bundled scene.
TOOL_PACKAGES=(libassimp-dev assimp-testmodels)
# The benchmarks: Google Benchmark, and Bullet Physics and Embree as the query's peers.
BENCH_PACKAGES=(libbenchmark-dev libbullet-dev libembree-dev gnuplot-nox)
# To run the viewer without a display, and to drive and photograph it.
X11_PACKAGES=(xvfb xdotool imagemagick x11-utils libgl1-mesa-dri libglx-mesa0)
# The fuzzers: clang with libFuzzer and the sanitizers' runtime.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
