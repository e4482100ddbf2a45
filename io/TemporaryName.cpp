#include "io/TemporaryName.h"

#include <random>

namespace entorra {
namespace {

constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kRandomLength = 6;

}  // namespace

std::string TemporaryNamePrefix(std::string_view fileName) {
    std::string prefix = ".";
    prefix.append(fileName);
    prefix += ".entorra-";
    return prefix;
}

std::string NewTemporaryName(std::string_view fileName) {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    std::string name = TemporaryNamePrefix(fileName);
    for (std::size_t i = 0; i < kRandomLength; ++i) {
        name += kLetters[pick(generator)];
    }
    return name;
}

bool IsTemporaryNameOf(std::string_view entryName, std::string_view fileName) {
    const std::string prefix = TemporaryNamePrefix(fileName);
    if (entryName.size() != prefix.size() + kRandomLength || !entryName.starts_with(prefix)) {
        return false;
    }
    return entryName.substr(prefix.size()).find_first_not_of(kLetters) == std::string_view::npos;
}

}  // namespace entorra
