#pragma once
// Whether the test runs under AddressSanitizer, which reserves address space
// beyond any limit a process may set itself and ends a crashing program its
// own way.
#if defined(__SANITIZE_ADDRESS__)
#define TESSARO_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARO_TEST_SANITIZED 1
#endif
#endif
#ifndef TESSARO_TEST_SANITIZED
#define TESSARO_TEST_SANITIZED 0
#endif
