unit Comments;

interface

const
  Len = 10; // a line comment after a constant
  { Len = 99; a constant in a comment is no constant }

type
  (* THidden = record A: Integer; end; *)
  { TAlso = record B: Integer; end; }
  // TLine = record C: Integer; end;
  TShown = record
    Code: Integer; //#CM09/26/02 corresponds with the old layout: Code
    Name: String[Len]; {Name}(*and*)// all three kinds
    Flags	:	Word;	// tabs around the colon
    Text: String[Len]; // 'a quote in a comment
    Quote: Char; // ends here
  end;
	TTabbed	=	record
		A	:	Byte;
	end;

implementation

end.
