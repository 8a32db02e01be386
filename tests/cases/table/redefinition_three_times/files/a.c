xx
