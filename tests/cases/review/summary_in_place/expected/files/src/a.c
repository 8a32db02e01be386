/* buffer_init, buffer_init2, xbuffer_t */
void ring_init(ring_t *b);
const char *s = "buffer_t", c = 'spin';
int m = new_a + new_a + spin;
