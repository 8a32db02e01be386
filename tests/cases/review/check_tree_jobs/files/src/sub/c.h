/* buffer_init */ int spin(void);
