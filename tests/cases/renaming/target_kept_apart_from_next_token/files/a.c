A"x" W'c' P"y" A[0]
