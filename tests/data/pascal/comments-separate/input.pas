{TBrace = record A: Integer; end;}
(*TStar = record B: Byte; end;*)
TNote {ignored} = record C: Byte; end;
TInside = record (* fields *) D: Byte; { E } F: Word; end;
TAfterStar = record G: Byte; end;(*x*)
