-- Molvera embedded database (SQLite). Created on the first start of a new
-- file, in one transaction. Date-times are stored as 'yyyy-MM-dd HH:mm:ss'.

CREATE TABLE mv_molvera (
    ID                 INTEGER PRIMARY KEY AUTOINCREMENT,
    Fecha              TEXT NOT NULL,
    responsable        VARCHAR(100),
    fecha_alta         TEXT,
    fecha_modificacion TEXT,
    Toneladas          REAL,
    vendedor           VARCHAR(100),
    procedencia        VARCHAR(100),
    camionero          VARCHAR(100),
    humedo             REAL,
    seco               REAL,
    caracteristicas    VARCHAR(100),
    fallingnumber      REAL,
    humedad            REAL,
    pesohect           REAL,
    silodestino        VARCHAR(4),
    observaciones      TEXT,
    modificado_por     VARCHAR(50),
    merma              REAL,
    kg_netos           INTEGER,
    grado              VARCHAR(20),
    reglas_version     INTEGER
);

CREATE INDEX ix_mv_molvera_fecha ON mv_molvera (Fecha);
CREATE INDEX ix_mv_molvera_silodestino ON mv_molvera (silodestino);
CREATE INDEX ix_mv_molvera_vendedor ON mv_molvera (vendedor);
CREATE INDEX ix_mv_molvera_procedencia ON mv_molvera (procedencia);
CREATE INDEX ix_mv_molvera_camionero ON mv_molvera (camionero);
CREATE INDEX ix_mv_molvera_caracteristicas ON mv_molvera (caracteristicas);

-- @section view
CREATE VIEW v_mv_molvera AS
SELECT ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor,
       procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad,
       pesohect, silodestino, observaciones, modificado_por, merma, kg_netos, grado,
       reglas_version
FROM mv_molvera;

CREATE TRIGGER tr_v_mv_molvera_insert INSTEAD OF INSERT ON v_mv_molvera
BEGIN
    INSERT INTO mv_molvera (Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas,
                            vendedor, procedencia, camionero, humedo, seco, caracteristicas,
                            fallingnumber, humedad, pesohect, silodestino, observaciones,
                            modificado_por, merma, kg_netos, grado, reglas_version)
    VALUES (NEW.Fecha, NEW.responsable, NEW.fecha_alta, NEW.fecha_modificacion, NEW.Toneladas,
            NEW.vendedor, NEW.procedencia, NEW.camionero, NEW.humedo, NEW.seco,
            NEW.caracteristicas, NEW.fallingnumber, NEW.humedad, NEW.pesohect, NEW.silodestino,
            NEW.observaciones, NEW.modificado_por, NEW.merma, NEW.kg_netos, NEW.grado,
            NEW.reglas_version);
END;

CREATE TRIGGER tr_v_mv_molvera_update INSTEAD OF UPDATE ON v_mv_molvera
BEGIN
    UPDATE mv_molvera SET
        Fecha = NEW.Fecha, responsable = NEW.responsable, fecha_alta = NEW.fecha_alta,
        fecha_modificacion = NEW.fecha_modificacion, Toneladas = NEW.Toneladas,
        vendedor = NEW.vendedor, procedencia = NEW.procedencia, camionero = NEW.camionero,
        humedo = NEW.humedo, seco = NEW.seco, caracteristicas = NEW.caracteristicas,
        fallingnumber = NEW.fallingnumber, humedad = NEW.humedad, pesohect = NEW.pesohect,
        silodestino = NEW.silodestino, observaciones = NEW.observaciones,
        modificado_por = NEW.modificado_por, merma = NEW.merma, kg_netos = NEW.kg_netos,
        grado = NEW.grado, reglas_version = NEW.reglas_version
    WHERE ID = OLD.ID;
END;

CREATE TRIGGER tr_v_mv_molvera_delete INSTEAD OF DELETE ON v_mv_molvera
BEGIN
    DELETE FROM mv_molvera WHERE ID = OLD.ID;
END;

-- @section totals
-- Tonnes received per destination silo, kept by the triggers below in the
-- same transaction as the change of the intake row. Kept in grams (whole
-- numbers) so that the figure never drifts from the sum of the rows and
-- equals it for tonnes given to the gram (six decimals); "cargas" counts the
-- rows with tonnes, so a silo without any reads NULL. The grams are a 64-bit
-- whole number: they add up every truckload ever received, up to
-- 9,223,372,036,854 tonnes a silo.
CREATE TABLE mv_molvera_silo_total (
    silodestino VARCHAR(4) PRIMARY KEY,
    gramos      BIGINT NOT NULL DEFAULT 0,
    cargas      INTEGER NOT NULL DEFAULT 0
);

CREATE TRIGGER tr_mv_molvera_total_insert AFTER INSERT ON mv_molvera
WHEN NEW.silodestino IS NOT NULL AND NEW.Toneladas IS NOT NULL
BEGIN
    INSERT OR IGNORE INTO mv_molvera_silo_total (silodestino, gramos, cargas)
    VALUES (NEW.silodestino, 0, 0);
    UPDATE mv_molvera_silo_total
    SET gramos = gramos + CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER), cargas = cargas + 1
    WHERE silodestino = NEW.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_total_delete AFTER DELETE ON mv_molvera
WHEN OLD.silodestino IS NOT NULL AND OLD.Toneladas IS NOT NULL
BEGIN
    UPDATE mv_molvera_silo_total
    SET gramos = gramos - CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER), cargas = cargas - 1
    WHERE silodestino = OLD.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_total_update_old AFTER UPDATE OF Toneladas, silodestino ON mv_molvera
WHEN OLD.silodestino IS NOT NULL AND OLD.Toneladas IS NOT NULL
BEGIN
    UPDATE mv_molvera_silo_total
    SET gramos = gramos - CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER), cargas = cargas - 1
    WHERE silodestino = OLD.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_total_update_new AFTER UPDATE OF Toneladas, silodestino ON mv_molvera
WHEN NEW.silodestino IS NOT NULL AND NEW.Toneladas IS NOT NULL
BEGIN
    INSERT OR IGNORE INTO mv_molvera_silo_total (silodestino, gramos, cargas)
    VALUES (NEW.silodestino, 0, 0);
    UPDATE mv_molvera_silo_total
    SET gramos = gramos + CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER), cargas = cargas + 1
    WHERE silodestino = NEW.silodestino;
END;

-- Totals of the rows already there when the table is made (none in a new
-- file; the whole history when the table is added to a working database).
INSERT INTO mv_molvera_silo_total (silodestino, gramos, cargas)
SELECT silodestino, SUM(CAST(ROUND(Toneladas * 1000000) AS INTEGER)), COUNT(Toneladas)
FROM mv_molvera
WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
GROUP BY silodestino;

-- @section history
-- Change history of the intake rows: one row per column that an insert
-- gives a value, an update changes or a delete takes away, written by the
-- triggers below inside the statement that makes the change, so that a change
-- and its record are kept or lost together. The operator is the one the
-- writing statement names in mv_molvera.modificado_por (the program sets it
-- with every insert and update, and just before a delete). Values are kept
-- as text; the time is the database's clock.
CREATE TABLE mv_molvera_historial (
    ID             INTEGER PRIMARY KEY AUTOINCREMENT,
    id_registro    BIGINT NOT NULL,
    fecha_cambio   TEXT NOT NULL,
    usuario        VARCHAR(50),
    operacion      VARCHAR(12) NOT NULL,
    campo          VARCHAR(30),
    valor_anterior TEXT,
    valor_nuevo    TEXT
);

CREATE INDEX ix_mv_molvera_historial_registro ON mv_molvera_historial (id_registro);

-- @section historytriggers
-- The triggers that write the history, the settlement kept in each row
-- (shrink, net kilograms, grade and the rules' version) included.

CREATE TRIGGER tr_mv_molvera_historial_insert AFTER INSERT ON mv_molvera
BEGIN
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT NEW.ID, datetime('now', 'localtime'), NEW.modificado_por, 'ALTA', c.campo, NULL,
           c.nuevo
    FROM (SELECT 'fecha' AS campo, CAST(NEW.Fecha AS TEXT) AS nuevo
          UNION ALL SELECT 'responsable', NEW.responsable
          UNION ALL SELECT 'toneladas', CAST(NEW.Toneladas AS TEXT)
          UNION ALL SELECT 'vendedor', NEW.vendedor
          UNION ALL SELECT 'procedencia', NEW.procedencia
          UNION ALL SELECT 'camionero', NEW.camionero
          UNION ALL SELECT 'humedo', CAST(NEW.humedo AS TEXT)
          UNION ALL SELECT 'seco', CAST(NEW.seco AS TEXT)
          UNION ALL SELECT 'caracteristicas', NEW.caracteristicas
          UNION ALL SELECT 'fallingnumber', CAST(NEW.fallingnumber AS TEXT)
          UNION ALL SELECT 'humedad', CAST(NEW.humedad AS TEXT)
          UNION ALL SELECT 'pesohect', CAST(NEW.pesohect AS TEXT)
          UNION ALL SELECT 'silodestino', NEW.silodestino
          UNION ALL SELECT 'observaciones', NEW.observaciones
          UNION ALL SELECT 'merma', CAST(NEW.merma AS TEXT)
          UNION ALL SELECT 'kg_netos', CAST(NEW.kg_netos AS TEXT)
          UNION ALL SELECT 'grado', NEW.grado
          UNION ALL SELECT 'reglas_version', CAST(NEW.reglas_version AS TEXT)) AS c
    WHERE c.nuevo IS NOT NULL;
END;

CREATE TRIGGER tr_mv_molvera_historial_update AFTER UPDATE ON mv_molvera
BEGIN
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT NEW.ID, datetime('now', 'localtime'), NEW.modificado_por, 'MODIFICACION', c.campo,
           c.anterior, c.nuevo
    FROM (SELECT 'fecha' AS campo, CAST(OLD.Fecha AS TEXT) AS anterior,
                 CAST(NEW.Fecha AS TEXT) AS nuevo
          UNION ALL SELECT 'responsable', OLD.responsable, NEW.responsable
          UNION ALL SELECT 'toneladas', CAST(OLD.Toneladas AS TEXT), CAST(NEW.Toneladas AS TEXT)
          UNION ALL SELECT 'vendedor', OLD.vendedor, NEW.vendedor
          UNION ALL SELECT 'procedencia', OLD.procedencia, NEW.procedencia
          UNION ALL SELECT 'camionero', OLD.camionero, NEW.camionero
          UNION ALL SELECT 'humedo', CAST(OLD.humedo AS TEXT), CAST(NEW.humedo AS TEXT)
          UNION ALL SELECT 'seco', CAST(OLD.seco AS TEXT), CAST(NEW.seco AS TEXT)
          UNION ALL SELECT 'caracteristicas', OLD.caracteristicas, NEW.caracteristicas
          UNION ALL SELECT 'fallingnumber', CAST(OLD.fallingnumber AS TEXT),
                           CAST(NEW.fallingnumber AS TEXT)
          UNION ALL SELECT 'humedad', CAST(OLD.humedad AS TEXT), CAST(NEW.humedad AS TEXT)
          UNION ALL SELECT 'pesohect', CAST(OLD.pesohect AS TEXT), CAST(NEW.pesohect AS TEXT)
          UNION ALL SELECT 'silodestino', OLD.silodestino, NEW.silodestino
          UNION ALL SELECT 'observaciones', OLD.observaciones, NEW.observaciones
          UNION ALL SELECT 'merma', CAST(OLD.merma AS TEXT), CAST(NEW.merma AS TEXT)
          UNION ALL SELECT 'kg_netos', CAST(OLD.kg_netos AS TEXT), CAST(NEW.kg_netos AS TEXT)
          UNION ALL SELECT 'grado', OLD.grado, NEW.grado
          UNION ALL SELECT 'reglas_version', CAST(OLD.reglas_version AS TEXT),
                           CAST(NEW.reglas_version AS TEXT)) AS c
    WHERE c.anterior IS NOT c.nuevo;
END;

CREATE TRIGGER tr_mv_molvera_historial_delete AFTER DELETE ON mv_molvera
BEGIN
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT OLD.ID, datetime('now', 'localtime'), OLD.modificado_por, 'BAJA', c.campo,
           c.anterior, NULL
    FROM (SELECT 'fecha' AS campo, CAST(OLD.Fecha AS TEXT) AS anterior
          UNION ALL SELECT 'responsable', OLD.responsable
          UNION ALL SELECT 'toneladas', CAST(OLD.Toneladas AS TEXT)
          UNION ALL SELECT 'vendedor', OLD.vendedor
          UNION ALL SELECT 'procedencia', OLD.procedencia
          UNION ALL SELECT 'camionero', OLD.camionero
          UNION ALL SELECT 'humedo', CAST(OLD.humedo AS TEXT)
          UNION ALL SELECT 'seco', CAST(OLD.seco AS TEXT)
          UNION ALL SELECT 'caracteristicas', OLD.caracteristicas
          UNION ALL SELECT 'fallingnumber', CAST(OLD.fallingnumber AS TEXT)
          UNION ALL SELECT 'humedad', CAST(OLD.humedad AS TEXT)
          UNION ALL SELECT 'pesohect', CAST(OLD.pesohect AS TEXT)
          UNION ALL SELECT 'silodestino', OLD.silodestino
          UNION ALL SELECT 'observaciones', OLD.observaciones
          UNION ALL SELECT 'merma', CAST(OLD.merma AS TEXT)
          UNION ALL SELECT 'kg_netos', CAST(OLD.kg_netos AS TEXT)
          UNION ALL SELECT 'grado', OLD.grado
          UNION ALL SELECT 'reglas_version', CAST(OLD.reglas_version AS TEXT)) AS c
    WHERE c.anterior IS NOT NULL;
END;

-- @section quality
-- Quality of what each silo received: for humidity, hectolitre weight and
-- falling number, the grams of the loads with that reading and the sum
-- of grams times the reading in hundredths, kept by the triggers below
-- in the same transaction as the change of the intake row (whole numbers, so
-- that they never drift). The average reading of a silo, weighted by tonnes,
-- is the second figure over the first, over 100. Loads with tonnes only; a
-- reading of 0 is one not taken.
CREATE TABLE mv_molvera_silo_calidad (
    silodestino     VARCHAR(4) PRIMARY KEY,
    gramos_humedad  BIGINT NOT NULL DEFAULT 0,
    humedad_gramos  BIGINT NOT NULL DEFAULT 0,
    gramos_pesohect BIGINT NOT NULL DEFAULT 0,
    pesohect_gramos BIGINT NOT NULL DEFAULT 0,
    gramos_falling  BIGINT NOT NULL DEFAULT 0,
    falling_gramos  BIGINT NOT NULL DEFAULT 0
);

CREATE TRIGGER tr_mv_molvera_calidad_insert AFTER INSERT ON mv_molvera
WHEN NEW.silodestino IS NOT NULL AND NEW.Toneladas > 0
BEGIN
    INSERT OR IGNORE INTO mv_molvera_silo_calidad (silodestino) VALUES (NEW.silodestino);
    UPDATE mv_molvera_silo_calidad SET
        gramos_humedad = gramos_humedad
            + CASE WHEN NEW.humedad > 0 THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        humedad_gramos = humedad_gramos
            + CASE WHEN NEW.humedad > 0
                   THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(NEW.humedad * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_pesohect = gramos_pesohect
            + CASE WHEN NEW.pesohect > 0 THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        pesohect_gramos = pesohect_gramos
            + CASE WHEN NEW.pesohect > 0
                   THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(NEW.pesohect * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_falling = gramos_falling
            + CASE WHEN NEW.fallingnumber > 0 THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        falling_gramos = falling_gramos
            + CASE WHEN NEW.fallingnumber > 0
                   THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(NEW.fallingnumber * 100) AS INTEGER)
                   ELSE 0 END
    WHERE silodestino = NEW.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_calidad_delete AFTER DELETE ON mv_molvera
WHEN OLD.silodestino IS NOT NULL AND OLD.Toneladas > 0
BEGIN
    UPDATE mv_molvera_silo_calidad SET
        gramos_humedad = gramos_humedad
            - CASE WHEN OLD.humedad > 0 THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        humedad_gramos = humedad_gramos
            - CASE WHEN OLD.humedad > 0
                   THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(OLD.humedad * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_pesohect = gramos_pesohect
            - CASE WHEN OLD.pesohect > 0 THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        pesohect_gramos = pesohect_gramos
            - CASE WHEN OLD.pesohect > 0
                   THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(OLD.pesohect * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_falling = gramos_falling
            - CASE WHEN OLD.fallingnumber > 0 THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        falling_gramos = falling_gramos
            - CASE WHEN OLD.fallingnumber > 0
                   THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(OLD.fallingnumber * 100) AS INTEGER)
                   ELSE 0 END
    WHERE silodestino = OLD.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_calidad_update_old AFTER UPDATE OF Toneladas, silodestino, humedad, pesohect,
    fallingnumber ON mv_molvera
WHEN OLD.silodestino IS NOT NULL AND OLD.Toneladas > 0
BEGIN
    UPDATE mv_molvera_silo_calidad SET
        gramos_humedad = gramos_humedad
            - CASE WHEN OLD.humedad > 0 THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        humedad_gramos = humedad_gramos
            - CASE WHEN OLD.humedad > 0
                   THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(OLD.humedad * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_pesohect = gramos_pesohect
            - CASE WHEN OLD.pesohect > 0 THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        pesohect_gramos = pesohect_gramos
            - CASE WHEN OLD.pesohect > 0
                   THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(OLD.pesohect * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_falling = gramos_falling
            - CASE WHEN OLD.fallingnumber > 0 THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        falling_gramos = falling_gramos
            - CASE WHEN OLD.fallingnumber > 0
                   THEN CAST(ROUND(OLD.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(OLD.fallingnumber * 100) AS INTEGER)
                   ELSE 0 END
    WHERE silodestino = OLD.silodestino;
END;

CREATE TRIGGER tr_mv_molvera_calidad_update_new AFTER UPDATE OF Toneladas, silodestino, humedad, pesohect,
    fallingnumber ON mv_molvera
WHEN NEW.silodestino IS NOT NULL AND NEW.Toneladas > 0
BEGIN
    INSERT OR IGNORE INTO mv_molvera_silo_calidad (silodestino) VALUES (NEW.silodestino);
    UPDATE mv_molvera_silo_calidad SET
        gramos_humedad = gramos_humedad
            + CASE WHEN NEW.humedad > 0 THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        humedad_gramos = humedad_gramos
            + CASE WHEN NEW.humedad > 0
                   THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(NEW.humedad * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_pesohect = gramos_pesohect
            + CASE WHEN NEW.pesohect > 0 THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        pesohect_gramos = pesohect_gramos
            + CASE WHEN NEW.pesohect > 0
                   THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(NEW.pesohect * 100) AS INTEGER)
                   ELSE 0 END,
        gramos_falling = gramos_falling
            + CASE WHEN NEW.fallingnumber > 0 THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER) ELSE 0 END,
        falling_gramos = falling_gramos
            + CASE WHEN NEW.fallingnumber > 0
                   THEN CAST(ROUND(NEW.Toneladas * 1000000) AS INTEGER)
                        * CAST(ROUND(NEW.fallingnumber * 100) AS INTEGER)
                   ELSE 0 END
    WHERE silodestino = NEW.silodestino;
END;

-- The quality of the rows already there when the table is made.
INSERT INTO mv_molvera_silo_calidad (silodestino, gramos_humedad, humedad_gramos, gramos_pesohect,
                                     pesohect_gramos, gramos_falling, falling_gramos)
SELECT silodestino,
       SUM(CASE WHEN humedad > 0 THEN CAST(ROUND(Toneladas * 1000000) AS INTEGER) ELSE 0 END),
       SUM(CASE WHEN humedad > 0 THEN CAST(ROUND(Toneladas * 1000000) AS INTEGER)
                     * CAST(ROUND(humedad * 100) AS INTEGER) ELSE 0 END),
       SUM(CASE WHEN pesohect > 0 THEN CAST(ROUND(Toneladas * 1000000) AS INTEGER) ELSE 0 END),
       SUM(CASE WHEN pesohect > 0 THEN CAST(ROUND(Toneladas * 1000000) AS INTEGER)
                     * CAST(ROUND(pesohect * 100) AS INTEGER) ELSE 0 END),
       SUM(CASE WHEN fallingnumber > 0 THEN CAST(ROUND(Toneladas * 1000000) AS INTEGER) ELSE 0 END),
       SUM(CASE WHEN fallingnumber > 0 THEN CAST(ROUND(Toneladas * 1000000) AS INTEGER)
                     * CAST(ROUND(fallingnumber * 100) AS INTEGER) ELSE 0 END)
FROM mv_molvera
WHERE silodestino IS NOT NULL AND Toneladas > 0
GROUP BY silodestino;

-- @section tables
CREATE TABLE ta_deposito (
    iddeposito  VARCHAR(4) PRIMARY KEY,
    descripcion VARCHAR(50),
    capacidad   REAL
);

CREATE VIEW v_ta_deposito AS
SELECT iddeposito, descripcion, capacidad FROM ta_deposito;

CREATE TRIGGER tr_v_ta_deposito_insert INSTEAD OF INSERT ON v_ta_deposito
BEGIN
    INSERT INTO ta_deposito (iddeposito, descripcion, capacidad)
    VALUES (NEW.iddeposito, NEW.descripcion, NEW.capacidad);
END;

CREATE TRIGGER tr_v_ta_deposito_update INSTEAD OF UPDATE ON v_ta_deposito
BEGIN
    UPDATE ta_deposito SET iddeposito = NEW.iddeposito, descripcion = NEW.descripcion,
        capacidad = NEW.capacidad
    WHERE iddeposito = OLD.iddeposito;
END;

CREATE TRIGGER tr_v_ta_deposito_delete INSTEAD OF DELETE ON v_ta_deposito
BEGIN
    DELETE FROM ta_deposito WHERE iddeposito = OLD.iddeposito;
END;

CREATE TABLE ta_configuracion (
    CLAVE VARCHAR(50) PRIMARY KEY,
    VALOR VARCHAR(255)
);

CREATE TABLE ta_usuarios (
    nombre  VARCHAR(50) PRIMARY KEY,
    sistema VARCHAR(50)
);

CREATE TABLE ta_provincias (
    DESCRIPCION VARCHAR(60) PRIMARY KEY
);

-- Starter rows.
INSERT INTO ta_deposito (iddeposito, descripcion, capacidad) VALUES
    ('0001', 'Silo 1', 500), ('0002', 'Silo 2', 800), ('0003', 'Silo 3', 1000),
    ('0004', 'Silo 4', 1200), ('0005', 'Silo 5', 1500), ('0006', 'Celda 6', 2000);

INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES ('NOMBRE', 'Molino Harinero del Sur S.A.');

-- @section limits
-- Acceptance limits of the readings (common milling-wheat figures; the plant
-- changes them here). A reading beyond them is accepted and flagged; a key
-- that has no row is no limit. Keys already there are left as they are.
INSERT INTO ta_configuracion (CLAVE, VALOR)
SELECT l.clave, l.valor
FROM (SELECT 'LIMITE_HUMEDAD_MAX' AS clave, '14.5' AS valor
      UNION ALL SELECT 'LIMITE_PESOHECT_MIN', '76'
      UNION ALL SELECT 'LIMITE_FALLINGNUMBER_MIN', '250'
      UNION ALL SELECT 'LIMITE_HUMEDO_MIN', '25') AS l
WHERE NOT EXISTS (SELECT 1 FROM ta_configuracion c WHERE c.CLAVE = l.clave);

-- @section starter
INSERT INTO ta_usuarios (nombre, sistema) VALUES
    ('ADMINISTRADOR', 'MOLVERA'), ('OPERADOR', 'MOLVERA'), ('LABORATORIO', 'MOLVERA');

INSERT INTO ta_provincias (DESCRIPCION) VALUES
    ('Buenos Aires'), ('Catamarca'), ('Chaco'), ('Chubut'), ('Ciudad Autónoma de Buenos Aires'),
    ('Córdoba'), ('Corrientes'), ('Entre Ríos'), ('Formosa'), ('Jujuy'), ('La Pampa'),
    ('La Rioja'), ('Mendoza'), ('Misiones'), ('Neuquén'), ('Río Negro'), ('Salta'),
    ('San Juan'), ('San Luis'), ('Santa Cruz'), ('Santa Fe'), ('Santiago del Estero'),
    ('Tierra del Fuego'), ('Tucumán');

-- @section weighings
-- Each weighing taken from the truck scale (tipo BRUTO or TARA, in kilograms,
-- with the line the scale sent, the workstation and the operator), written in
-- the same transaction as the tonnes it gives the row. Only ever added to (see
-- the section "ledger").
CREATE TABLE mv_molvera_pesada (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    id_registro INTEGER NOT NULL,
    tipo        VARCHAR(5) NOT NULL CHECK (tipo IN ('BRUTO', 'TARA')),
    kilos       REAL NOT NULL,
    fecha       TEXT NOT NULL,
    estacion    VARCHAR(100),
    instrumento VARCHAR(100),
    linea       VARCHAR(255),
    usuario     VARCHAR(50)
);

CREATE INDEX ix_mv_molvera_pesada_registro ON mv_molvera_pesada (id_registro);

-- @section readings
-- Each taking of the grain analyzer's readings into a row (F11): the values
-- written (NULL for one the analyzer did not give or the sheet refused), the
-- line the analyzer sent, when, the workstation and the operator; written in
-- the same transaction as the values. Only ever added to (see "ledger").
CREATE TABLE mv_molvera_lectura (
    ID            INTEGER PRIMARY KEY AUTOINCREMENT,
    id_registro   INTEGER NOT NULL,
    fecha         TEXT NOT NULL,
    humedo        REAL,
    seco          REAL,
    fallingnumber REAL,
    humedad       REAL,
    pesohect      REAL,
    estacion      VARCHAR(100),
    instrumento   VARCHAR(100),
    linea         VARCHAR(255),
    usuario       VARCHAR(50)
);

CREATE INDEX ix_mv_molvera_lectura_registro ON mv_molvera_lectura (id_registro);

-- @section ledger
-- A weighing or an analyzer reading, once written, is neither changed nor
-- deleted: the triggers below refuse both. A load that is deleted keeps them;
-- its deletion in the change history names each one (operation BAJA, field
-- "pesada" or "lectura"), by the operator who deleted the load.
CREATE TRIGGER tr_mv_molvera_pesada_fija BEFORE UPDATE ON mv_molvera_pesada
BEGIN
    SELECT RAISE(ABORT, 'Una pesada registrada no se modifica ni se borra.');
END;

CREATE TRIGGER tr_mv_molvera_pesada_borrado BEFORE DELETE ON mv_molvera_pesada
BEGIN
    SELECT RAISE(ABORT, 'Una pesada registrada no se modifica ni se borra.');
END;

CREATE TRIGGER tr_mv_molvera_lectura_fija BEFORE UPDATE ON mv_molvera_lectura
BEGIN
    SELECT RAISE(ABORT, 'Una lectura del analizador registrada no se modifica ni se borra.');
END;

CREATE TRIGGER tr_mv_molvera_lectura_borrado BEFORE DELETE ON mv_molvera_lectura
BEGIN
    SELECT RAISE(ABORT, 'Una lectura del analizador registrada no se modifica ni se borra.');
END;

CREATE TRIGGER tr_mv_molvera_baja_pesadas AFTER DELETE ON mv_molvera
BEGIN
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT OLD.ID, datetime('now', 'localtime'), OLD.modificado_por, 'BAJA', 'pesada',
           p.tipo || ' ' ||
           CASE WHEN p.kilos = CAST(p.kilos AS INTEGER) THEN CAST(CAST(p.kilos AS INTEGER) AS TEXT)
                ELSE CAST(p.kilos AS TEXT) END ||
           ' kg (pesada ' || p.ID || ', ' || p.fecha || ')', NULL
    FROM mv_molvera_pesada AS p
    WHERE p.id_registro = OLD.ID
    ORDER BY p.ID;
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT OLD.ID, datetime('now', 'localtime'), OLD.modificado_por, 'BAJA', 'lectura',
           COALESCE(l.linea, '') || ' (lectura ' || l.ID || ', ' || l.fecha || ')', NULL
    FROM mv_molvera_lectura AS l
    WHERE l.id_registro = OLD.ID
    ORDER BY l.ID;
END;

-- @section settlement
-- What a load is worth: the plant's settlement rules. One row of moisture
-- rules (receiving tolerance, the base the shrink is computed to, the
-- handling shrink; all in percent, taken to two decimals), an optional
-- published shrink table (one row per tenth of a point of humidity; when it
-- has rows it rules instead of the formula), the limits of each grade (an
-- empty limit does not count) and the sellers as the plant pays them. Every
-- change of the rules raises ta_liquidacion.version, which each load keeps
-- with the values it was computed with.
CREATE TABLE ta_liquidacion (
    id         INTEGER PRIMARY KEY CHECK (id = 1),
    tolerancia REAL NOT NULL,
    base       REAL NOT NULL,
    manipuleo  REAL NOT NULL,
    version    INTEGER NOT NULL DEFAULT 1
);

INSERT INTO ta_liquidacion (id, tolerancia, base, manipuleo, version)
VALUES (1, 14.0, 13.5, 0.25, 1);

CREATE TABLE ta_merma_tabla (
    humedad REAL PRIMARY KEY,
    merma   REAL NOT NULL
);

CREATE TABLE ta_grado (
    grado             INTEGER PRIMARY KEY CHECK (grado IN (1, 2, 3)),
    pesohect_min      REAL,
    humedad_max       REAL,
    fallingnumber_min REAL,
    humedo_min        REAL
);

CREATE TABLE ta_vendedor (
    nombre VARCHAR(100) PRIMARY KEY,
    cuit   VARCHAR(11)
);

CREATE TRIGGER tr_ta_liquidacion_version AFTER UPDATE OF tolerancia, base, manipuleo
    ON ta_liquidacion
WHEN OLD.tolerancia IS NOT NEW.tolerancia OR OLD.base IS NOT NEW.base
     OR OLD.manipuleo IS NOT NEW.manipuleo
BEGIN
    UPDATE ta_liquidacion SET version = version + 1;
END;

CREATE TRIGGER tr_ta_merma_tabla_alta AFTER INSERT ON ta_merma_tabla
BEGIN
    UPDATE ta_liquidacion SET version = version + 1;
END;

CREATE TRIGGER tr_ta_merma_tabla_cambio AFTER UPDATE ON ta_merma_tabla
BEGIN
    UPDATE ta_liquidacion SET version = version + 1;
END;

CREATE TRIGGER tr_ta_merma_tabla_baja AFTER DELETE ON ta_merma_tabla
BEGIN
    UPDATE ta_liquidacion SET version = version + 1;
END;

CREATE TRIGGER tr_ta_grado_alta AFTER INSERT ON ta_grado
BEGIN
    UPDATE ta_liquidacion SET version = version + 1;
END;

CREATE TRIGGER tr_ta_grado_cambio AFTER UPDATE ON ta_grado
BEGIN
    UPDATE ta_liquidacion SET version = version + 1;
END;

CREATE TRIGGER tr_ta_grado_baja AFTER DELETE ON ta_grado
BEGIN
    UPDATE ta_liquidacion SET version = version + 1;
END;

-- The loads as the seller's statement reads them, with the seller's CUIT: the
-- rows with tonnes or a seller (not the blank rows a new day starts with).
CREATE VIEW v_mv_molvera_liquidacion AS
SELECT m.ID, m.Fecha, m.vendedor, v.cuit, m.Toneladas, m.humedad, m.merma, m.kg_netos,
       m.grado, m.reglas_version
FROM mv_molvera m LEFT JOIN ta_vendedor v ON v.nombre = m.vendedor
WHERE m.Toneladas > 0 OR m.vendedor IS NOT NULL;

-- @section version
-- The schema version of this database: the program brings an older one up to
-- date when it starts and refuses one newer than itself.
CREATE TABLE mv_molvera_version (
    version INTEGER NOT NULL
);
INSERT INTO mv_molvera_version (version) VALUES (6);
