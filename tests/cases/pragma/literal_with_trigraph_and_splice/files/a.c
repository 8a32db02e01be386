_Pragma("??=x ab\
cd")
