/* A tiny ring buffer: buffer_t is renamed, but not inside this comment. */
#include "buffer.h"

static const char *name = "buffer_init";   /* strings are never touched */

void buffer_init(buffer_t *b) { b->head = b->tail = 0; }

int buffer_push(buffer_t *b, int value)
{
    b->data[b->tail++ % 16] = value;   // buffer_push: comments stay as written
    return 1;
}
