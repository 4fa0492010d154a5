#pragma once
// A stand-in compression library for tests of the library protocol: it
// reports a chosen interface version and, when executed, sends a scripted
// series of callbacks and keeps the records as the component answered them.

#include <cstdint>

struct FakeStep {
    int32_t action;
    int32_t code;
    int32_t value;
    char text[512];
};

extern "C" {
// Sets the version to report and the callbacks the next exec sends.
typedef void (*FakeScriptEntry)(const FakeStep *steps, int count, int version);
// The records after the component's answers, one per callback sent.
typedef const FakeStep *(*FakeAnswersEntry)(int *count);
}
