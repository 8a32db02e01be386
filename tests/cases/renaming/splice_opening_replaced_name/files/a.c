#define A \
static int x;
#define B ??/
x \
\
x
int z;
a = \\
z + \??/
z;
end
