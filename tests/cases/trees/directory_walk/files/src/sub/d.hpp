old::old
