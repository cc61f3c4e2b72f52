// Writes the sample sales dictionary set into a directory as the window's Build writes it, for
// the test that runs the packaged quillan-cli on it.
#include "SampleDictionary.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: write_sample_dictionary DIR\n";
        return 2;
    }
    try {
        sample::writeDictionary(argv[1], sample::salesDictionary());
    } catch (const std::exception& e) {
        std::cerr << "write_sample_dictionary: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
