// Writes the small room scene used by the viewer's end-to-end test and the
// run script: make_test_scene OUT.dorn
#include <iostream>
#include <string>

#include "scene/dorn_writer.h"
#include "support/test_scenes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_test_scene OUT.dorn\n";
        return 2;
    }
    std::string why;
    if (saveDornFile(*roomScene(), argv[1], &why) == 0) {
        std::cerr << why << '\n';
        return 1;
    }
    return 0;
}
