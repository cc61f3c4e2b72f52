type
  TBytes = record A: Byte; B: array[1..2] of Byte; end;
  TInts = record C: Integer; end;
