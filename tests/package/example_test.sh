#!/usr/bin/env bash
# Installs the build into a scratch prefix (install), or makes its Debian
# package and unpacks it into a scratch root (deb); then configures, builds and
# runs the in-memory example against that prefix and checks what it prints.
# With subdirectory, a scratch project with its own targets geometry and scene
# takes in the sources and the example with add_subdirectory instead, and must
# get the core and nothing else: no install rules, no CPack. The example
# defines its own global Vec3, Plane, Triangle, Segment, Line and length.
# usage: example_test.sh install|deb|subdirectory BUILD_DIR SOURCE_DIR
set -euo pipefail
mode=$1 build=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "example_test ($mode): $*" >&2; exit 1; }

example=$work/example
if [[ $mode == subdirectory ]]; then
    mkdir "$work/embed"
    cat >"$work/embed/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(embed LANGUAGES CXX)
add_library(geometry STATIC geometry.cpp)
add_library(scene INTERFACE)
target_link_libraries(scene INTERFACE geometry)
add_subdirectory("$source" sweepview)
add_subdirectory("$source/examples/sweep_in_memory" example)
CMAKE
    echo 'int hostGeometry() { return 1; }' >"$work/embed/geometry.cpp"
    cmake -S "$work/embed" -B "$work/build" -G Ninja >"$work/configure.log" || { cat "$work/configure.log"; fail "configure"; }
    targets=$(cmake --build "$work/build" --target help)
    for unwanted in dorn sweepview: app render sweep_bench geometry_test; do
        [[ $targets != *"$unwanted"* ]] || fail "an embedded build has the target $unwanted"
    done
    cmake --build "$work/build" >"$work/build.log" || { cat "$work/build.log"; fail "build"; }
    example=$work/build/example
    [[ ! -e $work/build/CPackConfig.cmake ]] || fail "CPack ran in a subproject"
    cmake --install "$work/build" --prefix "$work/host" >/dev/null
    [[ ! -e $work/host/include/sweepview ]] || fail "a subproject installed its headers"
elif [[ $mode == install ]]; then
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    prefix=$work/prefix
else
    (cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
    deb=$(ls "$work"/cpack/*.deb)
    dpkg-deb -x "$deb" "$work/root"
    prefix=$work/root/usr
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "$(basename "$deb"): Depends: $depends"
    for program in dorn sweepview; do
        [[ ! -e $build/bin/$program || -x $prefix/bin/$program ]] || fail "no $program in the package"
    done
    [[ ! -e $build/bin/dorn || $depends == *libassimp* ]] || fail "no dependency on Assimp: $depends"
fi
if [[ $mode != subdirectory ]]; then
    [[ -f $prefix/include/sweepview/collision/sweep_query.h ]] || fail "headers not installed"
    for internal in sweep_box_lanes sweep_triangle_lanes sweep_visitor tree_walk sweep_pruning simd_lanes huge_pages node_stack \
                    tree_builder tree_stats; do
        [[ -z $(find "$prefix/include" -name "$internal.h") ]] || fail "internal $internal.h installed"
    done
    # Every installed header stands alone on the one include path, beside a
    # program's own global types of the library's names.
    own='struct Vec3 {}; struct Plane {}; struct Triangle {}; struct Segment {}; struct Line {};
         inline float length(const Vec3&) { return 0; }'
    for header in $(cd "$prefix/include" && find sweepview -name '*.h'); do
        printf '%s\n#include <%s>\n' "$own" "$header" |
            c++ -std=c++20 -fsyntax-only -I"$prefix/include" -x c++ - ||
            fail "$header does not compile alone beside global Vec3, Plane, ..."
    done
    cmake -S "$source/examples/sweep_in_memory" -B "$example" -G Ninja \
          -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log" || { cat "$work/configure.log"; fail "configure"; }
    cmake --build "$example" >"$work/build.log" || { cat "$work/build.log"; fail "build"; }
fi
scene=$build/scenes/default.dorn
[[ -e $scene ]] || scene=""
output=$("$example/sweep_in_memory" $scene)
expected="time of impact 0.449950, normal (-1, 0, 0), triangles 1
after one step: position (8.999, 5, 0), velocity (-20, 0, 0)"
[[ -z $scene ]] || expected="$scene: 750 triangles, first step is free
$expected"
[[ $output == "$expected" ]] || fail "printed:
$output"
echo "$output"
