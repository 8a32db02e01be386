c d a
