type
  TTab	=	record A: Integer; end;
  TLeft	= record B: Byte; end;
  TRight =	record C: Byte; end;
  TSpaces = record D: Byte; end;
