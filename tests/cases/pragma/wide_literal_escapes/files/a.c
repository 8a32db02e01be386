_Pragma(L"x \"y\"")
_Pragma("a\n \\ b \t \\\"")
