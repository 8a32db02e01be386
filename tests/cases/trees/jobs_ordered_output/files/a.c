int old;
#if old
#endif
