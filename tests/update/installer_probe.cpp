// Stands in for a downloaded installer: records that it ran, and with how many
// arguments, in a file named after itself with ".ran" added.
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    const std::string marker = std::string(argv[0]) + ".ran";
    std::FILE* file = std::fopen(marker.c_str(), "w");
    if (!file)
        return 1;
    std::fprintf(file, "%d\n", argc - 1);
    return std::fclose(file) == 0 ? 0 : 1;
}
