// What a call writes on standard error.
#ifndef MORVANE_TESTS_TRACE_CAPTURE_H
#define MORVANE_TESTS_TRACE_CAPTURE_H

#include <cstdio>
#include <string>
#include <unistd.h>

template <typename Fn>
std::string trace_of(Fn &&fn) {
    std::fflush(stderr);
    std::FILE *file = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(file), 2);
    fn();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

#endif
