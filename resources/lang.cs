; Tarnwick – české texty. Klíčem je číslo textu; hodnoty v uvozovkách
; zachovávají mezery na začátku a na konci.
[Header]
langCode=cs
langName=Čeština

[StringTable]
101=Nabídka
102=O programu
103=Konec
104=Verze programu
105=Verze databáze
106=Verze SQLite
107=Žádné keše k zobrazení.
108=Databáze keší není otevřena.
145=Je k dispozici nová verze programu: %s.
153=Keše
226=Text nelze přečíst jako souřadnice.
252=Hotovo.
260=Soubor skončil před svým posledním prvkem; co se do té doby načetlo, je uloženo.
261=Import byl přerušen; co se do té doby načetlo, je uloženo.
262=Nové keše
263=Waypointy
264=Přeskočeno
265=Aktualizováno
266=Exportuji keše do GPX…
267=Databáze přestala přijímat záznamy (%s). Nepodařilo se uložit %d záznamů; import tím skončil a co bylo uloženo předtím, zůstává.
268=Nepodařilo se uložit %d záznamů (%s); ostatní jsou uloženy.
297="Databáze keší "
298=" neexistuje. Mám ji vytvořit z prázdné šablony?"
305=Dělení nulou.
306=Chybí operand:
307=Neplatný znak.
308=Nedefinovaná proměnná:
309=Neplatné číslo:
310=Prázdný výraz.
312=Spouštím…
313=Exportuji polní poznámky…
314=Exportuji trasy…
315=Importuji soubor GPX…
358=Soubor trasy nelze přečíst.
410=Řadit
411=Podle názvu
412=Podle vzdálenosti
413=Podle autora
414=Podle obtížnosti
415=Podle terénu
416=Podle data ukrytí
417=Podle velikosti
418=Podle data nálezu
419=Obrácené pořadí
420=Znovu načíst seznam
421=Importovat GPX…
422=Exportovat GPX…
423=Načíst trasu…
424=Zpět
