#pragma once
// Whether the test runs under AddressSanitizer or ThreadSanitizer, which
// reserve address space beyond any limit a process may set itself and end a
// crashing program their own way.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TESSARO_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TESSARO_TEST_SANITIZED 1
#endif
#endif
#ifndef TESSARO_TEST_SANITIZED
#define TESSARO_TEST_SANITIZED 0
#endif
