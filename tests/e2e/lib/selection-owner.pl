#!/usr/bin/perl
# selection-owner.pl SELECTION [DISPLAY]
# Prints the window that owns the X selection SELECTION (e.g. CLIPBOARD,
# _NET_SYSTEM_TRAY_S0) as 0x..., or 0x0 when it has no owner; exit 1 when the
# server cannot be reached. Speaks the core protocol on the local socket itself
# so the test world needs no extra package for this one question; it expects
# a server without authorisation, as the harness starts it.
use strict;
use warnings;
use IO::Socket::UNIX;

my ($name, $display) = @ARGV;
$display //= $ENV{DISPLAY} // '';
die "usage: $0 SELECTION [DISPLAY]\n" unless defined $name && length $name;
my ($num) = $display =~ /^(?:unix)?:(\d+)(?:\.\d+)?$/
  or die "selection-owner: cannot use DISPLAY '$display' (need :N)\n";

my $sock = IO::Socket::UNIX->new(Type => SOCK_STREAM, Peer => "/tmp/.X11-unix/X$num")
  or do { print STDERR "selection-owner: cannot connect to $display: $!\n"; exit 1 };

sub readn {
    my ($n) = @_;
    my $buf = '';
    while (length $buf < $n) {
        my $got = sysread($sock, $buf, $n - length $buf, length $buf);
        die "selection-owner: connection closed\n" unless $got;
    }
    return $buf;
}

# Connection setup: little-endian, protocol 11.0, no authorisation.
syswrite($sock, pack('a1 x S S S S x2', 'l', 11, 0, 0, 0));
my $head = readn(8);
my ($status, $extra) = unpack('C x5 S', $head);
readn($extra * 4);
if ($status != 1) { print STDERR "selection-owner: server refused the connection\n"; exit 1 }

sub reply {
    my $r = readn(32);
    my ($type) = unpack('C', $r);
    die "selection-owner: X error " . unpack('x C', $r) . "\n" if $type == 0;
    my ($len) = unpack('x4 L', $r);
    readn($len * 4) if $len;
    return $r;
}

my $pad = (4 - length($name) % 4) % 4;
syswrite($sock, pack('C C S S x2 a*', 16, 1, 2 + (length($name) + $pad) / 4, length $name, $name . "\0" x $pad));
my ($atom) = unpack('x8 L', reply());
if ($atom == 0) { print "0x0\n"; exit 0 }    # the atom does not even exist yet

syswrite($sock, pack('C x S L', 23, 2, $atom));
my ($owner) = unpack('x8 L', reply());
printf "0x%x\n", $owner;
exit 0;
