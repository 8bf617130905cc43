// bankgen: generates a factory-bank FXB image from its readable text source.
#include <cstdio>
#include <string>

#include "tools/bankgen/Bankgen.h"

int main(int argc, char** argv) {
    std::string out, err;
    int code = bankgen::RunBankgen(argc - 1, argv + 1, &out, &err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return code;
}
