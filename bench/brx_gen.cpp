// Writes COUNT add-on files of about TOTAL bytes into DIR for the package benchmark: mostly
// map-like text with CR LF lines, every tenth file a binary landscape. Deterministic, so runs
// compare.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::uint64_t state = 0x9E3779B97F4A7C15ull;

std::uint64_t next()
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

void textFile(std::string &out, std::size_t size)
{
    static const char *words[] = {"CREATURE", "TOWN", "villager", "=", "1250.0", "MAP", "START_GAME_MESSAGE",
                                  "CREATE_TOWN", "tribe", "LANDSCAPE", "0.5", "(", ")", "\"island\"", "--", "FOOD"};
    std::size_t line = 0;
    while (out.size() < size) {
        out += words[next() % 16];
        out += ' ';
        if (++line % 8 == 0)
            out += "\r\n";
    }
    out.resize(size);
}

void binaryFile(std::string &out, std::size_t size)
{
    out.resize(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = char(next() & 0xff);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: brx_gen DIR COUNT TOTAL_BYTES\n");
        return 2;
    }
    const std::string dir = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const long long total = std::strtoll(argv[3], nullptr, 10);
    if (count <= 0 || total <= 0)
        return 2;
    std::string content;
    for (long i = 0; i < count; ++i) {
        // Sizes vary from half to one and a half times the mean.
        const std::size_t mean = std::size_t(total / count);
        const std::size_t size = mean / 2 + std::size_t(next() % (mean + 1));
        const bool binary = i % 10 == 9;
        content.clear();
        binary ? binaryFile(content, size) : textFile(content, size);
        char name[64];
        std::snprintf(name, sizeof name, binary ? "land%04ld.lnd" : "map%04ld.txt", i);
        const std::string path = dir + "/" + name;
        std::FILE *f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(content.data(), 1, content.size(), f) != content.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "brx_gen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
