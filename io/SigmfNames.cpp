// Endings compared byte by byte with ASCII case folding, so that a locale's own
// idea of letters (a Turkish dotless i) never changes which reader a name gets.

#include "io/SigmfNames.h"

#include <algorithm>
#include <filesystem>

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// path with `ending` (there in any case) replaced by `replacement`, or with it appended.
std::string withEnding(const std::string& path, const std::string& ending, const std::string& replacement)
{
    if (endsWithAnyCase(path, ending))
        return path.substr(0, path.size() - ending.size()) + replacement;
    return path + replacement;
}

} // namespace

bool endsWithAnyCase(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size()
           && std::equal(ending.rbegin(), ending.rend(), text.rbegin(),
                         [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

std::string sigmfDataPath(const std::string& metaPath)
{
    return withEnding(metaPath, sigmfMetaEnding, sigmfDataEnding);
}

std::string sigmfMetaPath(const std::string& dataPath)
{
    return withEnding(dataPath, sigmfDataEnding, sigmfMetaEnding);
}

std::string describingMetaPath(const std::string& recordingPath)
{
    std::filesystem::path path(recordingPath);
    path.replace_extension(sigmfMetaEnding);
    return path.string();
}
