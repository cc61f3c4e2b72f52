type
  TMatrix = record M: array[1..10, 1..5] of Integer; end;
