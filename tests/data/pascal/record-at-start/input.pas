= record A: Byte; end;
record B: Byte; end;
