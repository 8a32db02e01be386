int second = loop2 + whole + sp\
lit;
