x _Pragma
