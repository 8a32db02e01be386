in\
t ma\
\
in(void) \
{
  return "str\
ing" /* com\
ment */ + 'c\
' + 1\
2 +\
+ x;
}
// a line comment \
   continued
#def\
ine X \
  1
a -\
> b; c <\
<= d;
end\
