/* The memory's speed for bench/convert.py: one thread reads every byte of a frame and writes a
 * picture-sized array, as a conversion must, with no arithmetic. The frame is copied in chunks of
 * 4 KiB into the picture's matching chunk; where the picture's chunk is larger, the rest is
 * written from the same chunk again (already in the cache); where it is smaller, the rest of the
 * frame's chunk is read one load per cache line. */
#include <stddef.h>
#include <stdint.h>
#include <string.h>

uint8_t copy_frame(const uint8_t* frame, size_t frame_bytes, uint8_t* picture, size_t picture_bytes) {
    const size_t chunk = 4096;
    uint8_t seen = 0;
    for (size_t in = 0; in < frame_bytes; in += chunk) {
        const size_t n = frame_bytes - in < chunk ? frame_bytes - in : chunk;
        const size_t out = (size_t)((unsigned __int128)in * picture_bytes / frame_bytes);
        const size_t end = (size_t)((unsigned __int128)(in + n) * picture_bytes / frame_bytes);
        size_t m = end - out, done = 0;
        while (done < m) {
            const size_t step = m - done < n ? m - done : n;
            memcpy(picture + out + done, frame + in, step);
            done += step;
        }
        for (size_t k = m; k < n; k += 64) seen ^= frame[in + k];
    }
    return seen;
}
