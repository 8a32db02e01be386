a and b or not new
