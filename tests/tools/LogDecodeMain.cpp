// xjlogdecode: prints the lines of the installer's encrypted log files ("*.xjelog").
//
//   xjlogdecode FILE...
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "commonlib/logger/LogFileFormat.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: xjlogdecode FILE...\n";
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::cerr << "cannot read " << argv[i] << "\n";
            status = 1;
            continue;
        }
        std::ostringstream bytes;
        bytes << file.rdbuf();
        std::vector<std::string> lines;
        const LogDecodeResult result = DecodeLogFile(bytes.str(), &lines);
        for (const std::string& line : lines)
            std::cout << line << (line.empty() || line.back() != '\n' ? "\n" : "");
        if (result != LogDecodeResult::Complete) {
            std::cerr << argv[i] << ": the file ends in a damaged record\n";
            status = 1;
        }
    }
    return status;
}
