/* buffer_init, buffer_init2, xbuffer_t */
void buffer_init(buffer_t *b);
const char *s = "buffer_t", c = 'spin';
int m = mid_a + old_a + spin;
