#pragma once

/* The newest frame of one PipeWire video stream (GNOME's screen cast), kept
 * by a thread of PipeWire's own. In C, as PipeWire's format builders are C
 * macros. Shared memory buffers only (BGRx and its kin), never dmabufs. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct tw_pw_frames;

/* Connects to the PipeWire of `runtime_dir` (null: the default) and to node
 * `node`; null on failure. */
struct tw_pw_frames *tw_pw_frames_open(uint32_t node, const char *runtime_dir);
void tw_pw_frames_close(struct tw_pw_frames *frames);

/* Copies the newest frame, rows of 4 bytes a pixel in B, G, R, unused order,
 * into `out` (at least width * height * 4 bytes, `stride` bytes a row) when
 * its size is width x height; waits up to `timeout_ms` for a first frame.
 * Returns 1 on success, 0 without a frame, -1 when the stream ended. */
int tw_pw_frames_copy(struct tw_pw_frames *frames, int x, int y, int width, int height,
                      uint8_t *out, int stride, int timeout_ms);

/* The size of the frames (0 before the format is known). */
void tw_pw_frames_size(struct tw_pw_frames *frames, int *width, int *height);

/* Frames received so far. */
uint64_t tw_pw_frames_count(struct tw_pw_frames *frames);

#ifdef __cplusplus
}
#endif
