#include "platform/FileIo.h"

#include <random>

namespace corvalin::platform
{

std::string NameBesideTarget()
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof kChars) - 2);
    std::string name = ".corvalin-";
    for (int i = 0; i < 6; ++i)
        name += kChars[pick(generator)];
    return name;
}

} // namespace corvalin::platform
