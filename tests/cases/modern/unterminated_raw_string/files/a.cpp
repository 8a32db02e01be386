int name = 1;
int x = name + R"x(unclosed name
name )" \
)y" name