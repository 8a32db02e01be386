c a
