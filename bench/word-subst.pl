# perl bench/word-subst.pl TABLE FILE: the one-pass word substitution that the
# benchmarks set beside morfe. Reads FILE whole and replaces, in one s///gea,
# every word that TABLE (lines "old new") names, comments and strings too.
my ($table, $file) = @ARGV;
open my $t, '<', $table or die "$table: $!";
my %h = map { split ' ' } grep { /\S/ } <$t>;
open my $f, '<:raw', $file or die "$file: $!";
my $text = do { local $/; <$f> };
$text =~ s/\b([A-Za-z_]\w*)\b/exists $h{$1} ? $h{$1} : $1/gea;
binmode STDOUT; print $text;
