// Replays a fuzz target's corpus without libFuzzer, so that the gcc builds and their
// sanitizers run every seed and every finding kept: each file named, or found under a
// folder named, goes to LLVMFuzzerTestOneInput once, in a heap block of exactly its size
// as libFuzzer gives it, so that a read past the end is seen.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        std::error_code error;
        if (fs::is_directory(path, error)) {
            for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path)) {
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
            }
        } else {
            inputs.push_back(path);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs found in the folders named\n");
        return 1;
    }
    for (const fs::path& path : inputs) {
        std::error_code error;
        const auto size = size_t(fs::file_size(path, error));
        std::vector<char> bytes(error ? 0 : size);
        std::ifstream in(path, std::ios::binary);
        if (error || !in.read(bytes.data(), std::streamsize(bytes.size()))) {
            std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
            return 1;
        }
        // An empty input still gets a block of its own: memcpy from an empty vector's null
        // data is undefined, even for no bytes.
        const auto block = std::make_unique<uint8_t[]>(bytes.size() + 1);
        if (!bytes.empty())
            std::memcpy(block.get(), bytes.data(), bytes.size());
        LLVMFuzzerTestOneInput(block.get(), bytes.size());
    }
    std::printf("replay: %zu inputs, none failed\n", inputs.size());
    return 0;
}
