// The stand-in's configuration file: any text is read or refused with std::runtime_error naming
// the line; a file that is read resolves its default alias (when it names one) and every alias
// by its name in any case, each with a directory.
#include "engine/Config.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::shared_ptr<qdsi::engine::Config> config;
    try {
        config = qdsi::engine::Config::parse(text, "/var/fuzz");
    } catch (const std::runtime_error &e) {
        if (std::string(e.what()).compare(0, 5, "line ") != 0)
            __builtin_trap();
        return 0;
    }
    if (qdsi::engine::AliasEntry *alias = config->findAlias(std::string()))
        if (alias->directory.empty())
            __builtin_trap();
    // Every "[alias NAME]" header read names an alias that can be found again.
    size_t at = 0;
    while ((at = text.find("[alias ", at)) != std::string::npos) {
        at += 7;
        const size_t close = text.find(']', at);
        const size_t line = text.find('\n', at);
        if (close == std::string::npos || (line != std::string::npos && line < close))
            continue;
        const std::string name = text.substr(at, close - at);
        if (name.find_first_of("\r\t[") != std::string::npos
            || name.find_first_not_of(' ') == std::string::npos)
            continue;
        qdsi::engine::AliasEntry *alias = config->findAlias(name);
        if (alias && alias->directory.empty())
            __builtin_trap();
    }
    return 0;
}
