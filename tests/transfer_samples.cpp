#include "transfer_samples.h"

using namespace Qt::StringLiterals;

QByteArray handMadeWorkbookPart(const QString& part)
{
    if (part == u"xl/workbook.xml"_s)
        return R"(<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<workbookPr/><sheets><sheet name="Cases" sheetId="1" r:id="rId7"/><sheet name="Other" sheetId="2" r:id="rId8"/></sheets>
</workbook>)";
    if (part == u"xl/_rels/workbook.xml.rels"_s)
        return R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/other.xml"/>
<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/cases.xml"/>
</Relationships>)";
    if (part == u"xl/sharedStrings.xml"_s)
        return R"(<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="6" uniqueCount="6">
<si><t>Citation</t></si><si><t>Date</t></si><si><t>Courts</t></si>
<si><r><rPr><b/></rPr><t>PLD 2019 </t></r><r><t>SC 1</t></r><rPh><t>ignored</t></rPh></si>
<si><t xml:space="preserve">Supreme Court; High Court </t></si>
<si><t>2019 SCMR 7</t></si>
</sst>)";
    if (part == u"xl/worksheets/cases.xml"_s)
        return R"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="s"><v>0</v></c><c r="C1" t="s"><v>1</v></c><c r="D1" t="inlineStr"><is><t>case</t></is></c><c r="E1" t="s"><v>2</v></c></row>
<row r="3"><c r="A3" t="s"><v>3</v></c><c r="C3" s="1"><v>43539</v></c><c r="D3" t="inlineStr"><is><t>A v. B_x000D_
C</t></is></c><c r="E3" t="s"><v>4</v></c></row>
<row r="4"><c r="A4" t="s"><v>5</v></c><c r="C4" t="str"><v>2001-07</v></c></row>
<row r="5"><c r="A5" t="s"><v>5</v></c><c r="B5" t="inlineStr"><is><t>stray</t></is></c></row>
</sheetData></worksheet>)";
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>nonsense</t></is></c></row></sheetData></worksheet>)";
}

QByteArray cslSample()
{
    return R"([
 {"id": "a", "type": "legal_case", "title": "Ωmega v. State", "container-title": "PLD", "volume": "2010",
  "page": "77", "authority": "Supreme Court", "issued": {"date-parts": [[2010, 4, 3]]}, "note": "Leading case"},
 {"id": "b", "type": "book", "title": "A Treatise on Contract"},
 {"id": "c", "type": "legal_case", "title": "Undated", "number": "2011 SCMR 5"},
 {"id": "d", "type": "legal_case", "title": "Yearly", "number": "2012 SCMR 6", "issued": {"date-parts": [[2012]]}}
])";
}
