#include "pipewireframes.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>

#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

struct tw_pw_frames {
    struct pw_thread_loop *loop;
    struct pw_context *context;
    struct pw_core *core;
    struct pw_stream *stream;
    struct spa_hook stream_listener;
    struct spa_video_info_raw format;
    int have_format;

    pthread_mutex_t mutex;
    pthread_cond_t arrived;
    uint8_t *frame; /* BGRx, width * 4 a row */
    int width, height;
    uint64_t count;
    int ended;
};

static void on_param_changed(void *data, uint32_t id, const struct spa_pod *param) {
    struct tw_pw_frames *f = data;
    if (!param || id != SPA_PARAM_Format)
        return;
    struct spa_video_info_raw info;
    if (spa_format_video_raw_parse(param, &info) < 0)
        return;
    f->format = info;
    f->have_format = 1;
    /* Memory the process callback can read: shared or mapped, no dmabuf. */
    uint8_t buffer[1024];
    struct spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const struct spa_pod *params[1];
    params[0] = spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd)));
    pw_stream_update_params(f->stream, params, 1);
}

static void on_state_changed(void *data, enum pw_stream_state old, enum pw_stream_state state,
                             const char *error) {
    struct tw_pw_frames *f = data;
    (void)old;
    (void)error;
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
        pthread_mutex_lock(&f->mutex);
        f->ended = 1;
        pthread_cond_broadcast(&f->arrived);
        pthread_mutex_unlock(&f->mutex);
    }
}

static void on_process(void *data) {
    struct tw_pw_frames *f = data;
    struct pw_buffer *newest = NULL, *b;
    /* Only the newest counts: older ones go back at once. */
    while ((b = pw_stream_dequeue_buffer(f->stream)) != NULL) {
        if (newest)
            pw_stream_queue_buffer(f->stream, newest);
        newest = b;
    }
    if (!newest)
        return;
    struct spa_buffer *buf = newest->buffer;
    const struct spa_data *d = &buf->datas[0];
    const int width = (int)f->format.size.width, height = (int)f->format.size.height;
    if (f->have_format && d->data && d->chunk && d->chunk->size > 0 && width > 0 && height > 0 &&
        !(d->chunk->flags & SPA_CHUNK_FLAG_CORRUPTED)) {
        const int src_stride = d->chunk->stride > 0 ? d->chunk->stride : width * 4;
        const uint8_t *src = (const uint8_t *)d->data + d->chunk->offset;
        const int rgb =
            f->format.format == SPA_VIDEO_FORMAT_RGBx || f->format.format == SPA_VIDEO_FORMAT_RGBA;
        if ((size_t)src_stride * (size_t)(height - 1) + (size_t)width * 4 <=
            (size_t)d->maxsize - d->chunk->offset) {
            pthread_mutex_lock(&f->mutex);
            if (f->width != width || f->height != height) {
                free(f->frame);
                f->frame = malloc((size_t)width * (size_t)height * 4);
                f->width = f->frame ? width : 0;
                f->height = f->frame ? height : 0;
            }
            if (f->frame) {
                for (int row = 0; row < height; ++row) {
                    uint8_t *to = f->frame + (size_t)row * (size_t)width * 4;
                    const uint8_t *from = src + (size_t)row * (size_t)src_stride;
                    if (!rgb) {
                        memcpy(to, from, (size_t)width * 4);
                    } else {
                        for (int x = 0; x < width; ++x) {
                            to[x * 4] = from[x * 4 + 2];
                            to[x * 4 + 1] = from[x * 4 + 1];
                            to[x * 4 + 2] = from[x * 4];
                            to[x * 4 + 3] = 0;
                        }
                    }
                }
                ++f->count;
                pthread_cond_broadcast(&f->arrived);
            }
            pthread_mutex_unlock(&f->mutex);
        }
    }
    pw_stream_queue_buffer(f->stream, newest);
}

static const struct pw_stream_events stream_events = {
    PW_VERSION_STREAM_EVENTS,
    .state_changed = on_state_changed,
    .param_changed = on_param_changed,
    .process = on_process,
};

struct tw_pw_frames *tw_pw_frames_open(uint32_t node, const char *runtime_dir) {
    pw_init(NULL, NULL);
    struct tw_pw_frames *f = calloc(1, sizeof *f);
    if (!f)
        return NULL;
    pthread_mutex_init(&f->mutex, NULL);
    pthread_cond_init(&f->arrived, NULL);
    f->loop = pw_thread_loop_new("tarnwick-screen", NULL);
    if (!f->loop) {
        tw_pw_frames_close(f);
        return NULL;
    }
    f->context = pw_context_new(pw_thread_loop_get_loop(f->loop), NULL, 0);
    if (!f->context || pw_thread_loop_start(f->loop) < 0) {
        tw_pw_frames_close(f);
        return NULL;
    }
    pw_thread_loop_lock(f->loop);
    struct pw_properties *core_props = NULL;
    if (runtime_dir && *runtime_dir) {
        char path[4096];
        snprintf(path, sizeof path, "%s/pipewire-0", runtime_dir);
        core_props = pw_properties_new(PW_KEY_REMOTE_NAME, path, NULL);
    }
    f->core = pw_context_connect(f->context, core_props, 0);
    if (!f->core) {
        pw_thread_loop_unlock(f->loop);
        tw_pw_frames_close(f);
        return NULL;
    }
    f->stream = pw_stream_new(f->core, "tarnwick-screen",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                "Capture", PW_KEY_MEDIA_ROLE, "Screen", NULL));
    if (!f->stream) {
        pw_thread_loop_unlock(f->loop);
        tw_pw_frames_close(f);
        return NULL;
    }
    pw_stream_add_listener(f->stream, &f->stream_listener, &stream_events, f);
    uint8_t buffer[1024];
    struct spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const struct spa_pod *params[1];
    struct spa_rectangle min_size = SPA_RECTANGLE(1, 1), max_size = SPA_RECTANGLE(16384, 16384),
                         def_size = SPA_RECTANGLE(1280, 800);
    struct spa_fraction min_rate = SPA_FRACTION(0, 1), max_rate = SPA_FRACTION(1000, 1),
                        def_rate = SPA_FRACTION(30, 1);
    params[0] = spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&def_size, &min_size, &max_size),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&def_rate, &min_rate, &max_rate));
    const int connected =
        pw_stream_connect(f->stream, PW_DIRECTION_INPUT, node,
                          PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS, params, 1);
    pw_thread_loop_unlock(f->loop);
    if (connected < 0) {
        tw_pw_frames_close(f);
        return NULL;
    }
    return f;
}

void tw_pw_frames_close(struct tw_pw_frames *f) {
    if (!f)
        return;
    if (f->loop)
        pw_thread_loop_stop(f->loop);
    if (f->stream)
        pw_stream_destroy(f->stream);
    if (f->core)
        pw_core_disconnect(f->core);
    if (f->context)
        pw_context_destroy(f->context);
    if (f->loop)
        pw_thread_loop_destroy(f->loop);
    free(f->frame);
    pthread_cond_destroy(&f->arrived);
    pthread_mutex_destroy(&f->mutex);
    free(f);
}

int tw_pw_frames_copy(struct tw_pw_frames *f, int x, int y, int width, int height, uint8_t *out,
                      int stride, int timeout_ms) {
    struct timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += timeout_ms / 1000;
    until.tv_nsec += (long)(timeout_ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    pthread_mutex_lock(&f->mutex);
    while (f->count == 0 && !f->ended) {
        if (pthread_cond_timedwait(&f->arrived, &f->mutex, &until) == ETIMEDOUT)
            break;
    }
    int result = 0;
    if (f->count > 0 && x >= 0 && y >= 0 && width > 0 && height > 0 && x + width <= f->width &&
        y + height <= f->height) {
        for (int row = 0; row < height; ++row)
            memcpy(out + (size_t)row * (size_t)stride,
                   f->frame + ((size_t)(y + row) * (size_t)f->width + (size_t)x) * 4,
                   (size_t)width * 4);
        result = 1;
    } else if (f->ended) {
        result = -1;
    }
    pthread_mutex_unlock(&f->mutex);
    return result;
}

void tw_pw_frames_size(struct tw_pw_frames *f, int *width, int *height) {
    pthread_mutex_lock(&f->mutex);
    *width = f->width;
    *height = f->height;
    pthread_mutex_unlock(&f->mutex);
}

uint64_t tw_pw_frames_count(struct tw_pw_frames *f) {
    pthread_mutex_lock(&f->mutex);
    const uint64_t n = f->count;
    pthread_mutex_unlock(&f->mutex);
    return n;
}
