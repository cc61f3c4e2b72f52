type
  TPoint = record X, Y: Integer; end;
  TPair = record
    A,B: Byte;
    C ,D : Word;
  end;
