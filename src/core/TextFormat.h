// Small UTF-16 formatting helpers for fixed buffers: names such as "Botão 12" or the
// registry key "VID_1234&PID_00AB". Each appends at index `at` and returns the index after
// what it wrote; the caller sizes the buffer (no NUL is written).
#pragma once

#include <cstdint>

int32_t AppendText(char16_t* out, int32_t at, const char16_t* text);
int32_t AppendDecimal(char16_t* out, int32_t at, uint64_t value);  // at most 20 digits
// Upper-case hexadecimal, at least minDigits digits (at most 8 are ever needed).
int32_t AppendHex(char16_t* out, int32_t at, uint32_t value, int minDigits);
