type
  TLong = record
    NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN,MMMMMMMMMMMMMMMMMMMMMMMMMMMMMM: array[1..2] of Integer { padded with words well past sixty three characters };
  end;
