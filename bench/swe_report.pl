#!/usr/bin/perl
# The report written by Perl's Spreadsheet::WriteExcel, for bench/compare.sh:
# the same cells as `meterctl convert` writes from the same CSV (user
# information with its labels, bold and fill, merges and widths; header
# row; one row per record, all as text).
#   swe_report.pl IN.csv OUT.xls
use strict;
use warnings;
use Spreadsheet::WriteExcel;

my ($in, $out) = @ARGV;
open(my $fh, '<:encoding(UTF-8)', $in) or die "$in: $!";
my $book = Spreadsheet::WriteExcel->new($out) or die "$out: $!";
my $sheet = $book->add_worksheet();
my $all = $book->add_format(align => 'center', num_format => '@');
my $info = $book->add_format(align => 'center', valign => 'vcenter', bold => 1, bg_color => 42, pattern => 1,
                             num_format => '@');
my $infoCell = $book->add_format(align => 'center', bold => 1, bg_color => 42, pattern => 1, num_format => '@');
my $head = $book->add_format(align => 'center', bold => 1, num_format => '@');
$sheet->set_column(1, 2, 8);
$sheet->set_column(3, 4, 10);
$sheet->set_column(5, 6, 22);
$sheet->set_column(7, 8, 8);
my @labels = (['Company：', 'Unit：'], ['Meter Type：', 'Instrument Serial：'], ['Test Operator：', 'Notes：']);
for my $r (0 .. 2) {
    $sheet->merge_range($r + 1, 1, $r + 1, 2, $labels[$r][0], $info);
    $sheet->merge_range($r + 1, 3, $r + 1, 5, $r == 0 ? 'ACME' : '', $info);
    $sheet->merge_range($r + 1, 7, $r + 1, 8, $labels[$r][1], $info);
    $sheet->write_string($r + 1, 9, $r == 0 ? 'nm/dBm' : '', $infoCell);
}
my $line = <$fh>;
$line =~ s/^\x{FEFF}//;
$line =~ s/\r?\n$//;
my $c = 0;
$sheet->write_string(5, $c++, $_, $head) for split(/,/, $line, -1);
my $row = 6;
while ($line = <$fh>) {
    $line =~ s/\r?\n$//;
    my @fields = split(/,/, $line, -1);
    $sheet->write_string($row, $_, $fields[$_], $all) for 0 .. 6;
    $row++;
}
$book->close();
