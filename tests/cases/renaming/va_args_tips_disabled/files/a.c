x = __VA_ARGS__;
