#!/usr/bin/perl
# A scripted LDAP peer for the schema loader's subschema write path: it
# serves a root DSE naming "cn=schema" (and no configContext), the subschema
# entry with the definitions read from its start file, and accepts modify of
# that entry, answering 20 to a value it already holds and 16 to the delete of
# one it lacks. Every operation is appended to the record file, one line each,
# in the order received.
#
#   schema_peer.pl PORTFILE RECORDFILE [DEFINITIONS]
#
# DEFINITIONS: lines "attributetypes <definition>" or "objectclasses <...>".
# Listens on 127.0.0.1 on a free port, written to PORTFILE once listening.
use strict;
use warnings;
use IO::Select;
use IO::Socket::INET;

package SchemaPeer;
use base 'Net::LDAP::Server';
use Net::LDAP::Constant qw(LDAP_SUCCESS LDAP_TYPE_OR_VALUE_EXISTS LDAP_NO_SUCH_ATTRIBUTE LDAP_NO_SUCH_OBJECT);
use Net::LDAP::Entry;

our %schema = (attributetypes => [], objectclasses => []);
our $record;

sub note {
    open(my $f, '>>', $record) or die "record: $!";
    print $f "@_\n";
    close $f;
}

sub result { return { matchedDN => '', errorMessage => '', resultCode => shift }; }

sub bind {
    my ($self, $req) = @_;
    note("bind", $req->{name});
    return result(LDAP_SUCCESS);
}

sub search {
    my ($self, $req) = @_;
    my $base = $req->{baseObject};
    my @attrs = @{ $req->{attributes} || [] };
    note("search", "base=\"$base\"", "attrs=" . join(',', @attrs));
    my $e = Net::LDAP::Entry->new;
    if ($base eq '') {
        $e->dn('');
        $e->add(objectClass => 'top', subschemaSubentry => 'cn=schema');
    } elsif (lc($base) eq 'cn=schema') {
        $e->dn('cn=schema');
        $e->add(objectClass => ['top', 'subschema'], cn => 'schema');
        $e->add(attributeTypes => [@{ $schema{attributetypes} }]) if @{ $schema{attributetypes} };
        $e->add(objectClasses => [@{ $schema{objectclasses} }]) if @{ $schema{objectclasses} };
    } else {
        return result(LDAP_NO_SUCH_OBJECT);
    }
    return (result(LDAP_SUCCESS), $e);
}

sub modify {
    my ($self, $req) = @_;
    my %copy = map { $_ => [@{ $schema{$_} }] } keys %schema;
    my $code = LDAP_SUCCESS;
    for my $change (@{ $req->{modification} }) {
        my $op = (qw(add delete replace increment))[$change->{operation}];
        my $type = lc $change->{modification}{type};
        for my $v (@{ $change->{modification}{vals} }) {
            note("modify", $req->{object}, $op, $type, $v);
            my $list = $copy{$type} ||= [];
            my $held = grep { $_ eq $v } @$list;
            if ($op eq 'add') {
                $code = LDAP_TYPE_OR_VALUE_EXISTS if $held && $code == LDAP_SUCCESS;
                push @$list, $v;
            } elsif ($op eq 'delete') {
                $code = LDAP_NO_SUCH_ATTRIBUTE if !$held && $code == LDAP_SUCCESS;
                @$list = grep { $_ ne $v } @$list;
            }
        }
    }
    # A modify is all or nothing.
    %schema = %copy if $code == LDAP_SUCCESS;
    note("result", $code);
    return result($code);
}

sub unbind { note("unbind"); return result(LDAP_SUCCESS); }

package main;

my ($portfile, $recordfile, $defs) = @ARGV;
$SchemaPeer::record = $recordfile;
if ($defs) {
    open(my $d, '<', $defs) or die "definitions: $!";
    while (my $line = <$d>) {
        chomp $line;
        my ($type, $text) = split / /, $line, 2;
        push @{ $SchemaPeer::schema{lc $type} }, $text if $text;
    }
    close $d;
}
my $listener = IO::Socket::INET->new(Listen => 5, LocalAddr => '127.0.0.1', LocalPort => 0, Proto => 'tcp',
                                     ReuseAddr => 1) or die "listen: $!";
open(my $p, '>', "$portfile.tmp") or die "port file: $!";
print $p $listener->sockport, "\n";
close $p;
rename("$portfile.tmp", $portfile) or die "port file: $!";

my $select = IO::Select->new($listener);
my %handlers;
while (my @ready = $select->can_read) {
    for my $fh (@ready) {
        if ($fh == $listener) {
            my $client = $listener->accept or next;
            $select->add($client);
            $handlers{fileno $client} = SchemaPeer->new($client);
        } elsif ($handlers{fileno $fh}->handle) {
            delete $handlers{fileno $fh};
            $select->remove($fh);
            close $fh;
        }
    }
}
