type
  TFits = record A: array[1..1000] of Integer; end;
  THuge = record B: array[0..2147483647] of Integer; end;
