#include "download/sha256_blocks.h"

#include <cpuid.h>
#include <immintrin.h>

#include "common/sha256_plain.h"

namespace modSetup::detail {

bool ShaInstructionsAvailable() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool ssse3 = (c & bit_SSSE3) != 0;
    const bool sse41 = (c & bit_SSE4_1) != 0;
    if (!ssse3 || !sse41 || __get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_SHA) != 0;
}

// The instructions work on the state as the halves ABEF and CDGH, and on the message in groups
// of four words, each group from the four before it. A 32-bit Windows thread may enter with its stack
// aligned to 4 bytes only, where the vectors kept on it need 16: the function realigns it.
__attribute__((target("sha,sse4.1,ssse3"), force_align_arg_pointer)) void Sha256Blocks(std::uint32_t state[8], const std::uint8_t* data,
                                                              std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i words[4]; // group i of the schedule is in words[i % 4]
        for (int i = 0; i < 4; ++i)
            words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
        for (int i = 0; i < 16; ++i) {
            if (i >= 4) {
                const __m128i& back1 = words[(i + 3) % 4];
                const __m128i& back2 = words[(i + 2) % 4];
                __m128i next = _mm_sha256msg1_epu32(words[i % 4], words[(i + 1) % 4]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(back1, back2, 4));
                words[i % 4] = _mm_sha256msg2_epu32(next, back1);
            }
            __m128i message =
                _mm_add_epi32(words[i % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&zunor::kSha256Rounds[4 * i])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

} // namespace modSetup::detail
